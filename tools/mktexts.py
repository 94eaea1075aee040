#!/usr/bin/env python3
"""The program's texts, every one, in one table, and the generator of the
C++ header that holds them. The build runs it (CMake, into the build
folder), so the header is never older than this table:
    python3 tools/mktexts.py OUT.h

Each text is one of three kinds:
  said(name, what, english, japanese)  ours, in the user's language: a
      `Said`, the Japanese in its two spellings (Shift_JIS for files,
      pipes and Japanese consoles; UTF-8 for a UTF-8 terminal and
      Windows's UTF-16);
  message(name, what, japanese)  a Japanese text the program writes in
      every language (the usage line, the no-marker line): a `Message`;
  fixed(name, what, text)  ASCII the program writes byte for byte in every
      language (the console summary, the picture refusals, the names of
      the failed steps): a `Said` whose three spellings are the same.
In every text, "@" stands where an argument goes (a path, a number, the
system's words, another of our texts), written into the header as the
byte 0x01, which no Shift_JIS character holds. The header also lists
every text in kAllTexts, for the tests to walk.
"""

import sys


def said(name, what, en, ja):
    return ("said", name, what, en, ja)


def message(name, what, ja):
    return ("message", name, what, None, ja)


def fixed(name, what, text):
    return ("fixed", name, what, text, None)


TEXTS = [
    # The usage text: the run with no report, the start of the help.
    message("kUsageJa", "the usage text's first line",
            "使い方 : プログラム本体にhtmlファイルをドロップしてください。\n"),
    fixed("kUsageEn", "the usage text's second line", "Usage : drop html files to Stampo.exe\n"),
    fixed("kVersion", "--version", "Stampo @\n"),
    # The console summary of a report, on standard output, as scripts read it.
    # "avarage" is misspelt on purpose: it is what the console has always
    # said, and the scripts that read Stampo's output look for it.
    fixed("kBmpData", "a report's first line: its picture", "bmp data : @\n"),
    fixed("kScannedMode", "the scan mode's line", "Scanned mode : @\n"),
    fixed("kAverage", "the figures, two to a line", "avarage : @      "),
    fixed("kMaximum", "the figures, two to a line", "maximum : @\n"),
    fixed("kTotal", "the figures, two to a line", "total   : @    "),
    fixed("kPof", "the figures, two to a line", "POF     : @\n"),
    message("kNoMarker", "a report without its mode line (not written by Plextools Professional)",
            "Plextools Professionalで出力されてないです。\n"),
    fixed("kNoMarkerForPerson", "after it, for a person who cannot read it",
          "(not written by Plextools Professional)\n"),
    fixed("kTruncated", "a report cut before its figures", "report ends before its figures.\n"),
    # Why a picture cannot be stamped, on standard output as scripts read it.
    fixed("kBmpNotBmp", "a picture's refusal", "input file is not BMP image.\n"),
    fixed("kBmpInfoSize", "a picture's refusal",
          "input file has an unsupported BMP header (not 40 bytes).\n"),
    fixed("kBmpDataOffset", "a picture's refusal",
          "input file is not a supported 24-bit BMP image.\n"),
    fixed("kBmpBitCount", "a picture's refusal", "input file is not 24-bit BMP image.\n"),
    fixed("kBmpCompression", "a picture's refusal", "input file is compressed BMP image.\n"),
    fixed("kBmpWidth", "a picture's refusal",
          "input file width is not supported (1 to 467, width + 1 a multiple of 4).\n"),
    fixed("kBmpHeight", "a picture's refusal",
          "input file height is not supported (1 to 340 rows, bottom-up).\n"),
    fixed("kBmpTruncated", "a picture's refusal", "input file is truncated.\n"),
    fixed("kBmpTooLarge", "a picture's refusal", "input file is too large.\n"),
    # A failure's first line: the step, the file, the reason.
    fixed("kFailureLine", "step: file: reason", "@: @: @\n"),
    fixed("kStandardOutput", "the file a failed console write names", "standard output"),
    fixed("kStandardError", "the file a failed console write names", "standard error"),
    fixed("kStepLook", "the step that failed: looking at a path", "stat"),
    fixed("kStepOpen", "the step that failed: opening a file", "fopen"),
    fixed("kStepRead", "the step that failed", "fread"),
    fixed("kStepList", "the step that failed: listing or opening a folder", "opendir"),
    fixed("kStepCreate", "the step that failed: a new file in a folder", "create"),
    fixed("kStepWrite", "the step that failed", "fwrite"),
    fixed("kStepRules", "the step that failed: access rules", "chmod"),
    fixed("kStepAttributes", "the step that failed: extended attributes", "setxattr"),
    fixed("kStepListAttributes", "the step that failed: reading which extended attributes",
          "listxattr"),
    fixed("kStepTimes", "the step that failed: the times", "utime"),
    fixed("kStepFlush", "the step that failed", "fsync"),
    fixed("kStepClose", "the step that failed", "fclose"),
    fixed("kStepRename", "the step that failed", "rename"),
    fixed("kStepLock", "the step that failed", "flock"),
    fixed("kStepRemove", "the step that failed: a leftover temporary file", "remove"),
    fixed("kStepMemory", "the step that failed: memory", "malloc"),
    fixed("kStepCheck", "the step that failed: the plan's check", "check"),
    # The console window's end (Windows).
    message("kCloseJa", "before a console window of the program's own closes",
            "Enterキーを押すと閉じます。\n"),
    fixed("kCloseEn", "before a console window of the program's own closes",
          "Press Enter to close.\n"),
    # Our messages, in the user's language.
    said("kNoReportsInFolder", "a folder holds no report",
     "@: no .html reports in this folder\n",
     "@: このフォルダーには .html のレポートがありません\n"),
    said("kUnknownOption", "an option we do not know",
     "unknown option: @\n",
     "不明なオプションです: @\n"),
    said("kCsvNeedsName", "--csv without a file name",
     "--csv needs a file name: --csv FILE or --csv=FILE\n",
     "--csv にはファイル名が必要です: --csv FILE または --csv=FILE\n"),
    said("kRestoreAlone", "--restore with an option that writes",
     "--restore cannot be used with --png or --csv\n",
     "--restore は --png や --csv と一緒には使えません\n"),
    said("kReasonNotAFile", "the reason: a folder, pipe or device where a file is needed",
     "Not a regular file",
     "通常のファイルではありません"),
    said("kForeignBackup", "a stamped picture whose backup is another file",
     "@: already stamped, and @ is not its original; nothing was changed. "
     "To stamp it again, copy its original over @.\n",
     "@: スタンプ済みですが、@ はその元の画像ではありません。何も変更していません。"
     "もう一度スタンプするには、元の画像を @ に上書きコピーしてください。\n"),
    said("kUnreadableBackup", "a stamped picture whose backup cannot be read",
     "@: already stamped, and its backup @ cannot be read (@); nothing was changed. "
     "Make the backup readable and run again.\n",
     "@: スタンプ済みですが、バックアップ @ を読めません (@)。何も変更していません。"
     "バックアップを読めるようにしてから、もう一度実行してください。\n"),
    said("kSameFile", "a picture that is its own backup",
     "@: the picture and its backup @ are the same file (a link); nothing was changed. "
     "Put a copy of the original picture at @, not a link, and run again.\n",
     "@: 画像とバックアップ @ が同じファイルです (リンク)。何も変更していません。"
     "@ にリンクではなく元の画像のコピーを置いてから、もう一度実行してください。\n"),
    said("kRoleClash", "two of a report's files (or the CSV table) are one file",
     "@ (the @) and @ (the @) are one file (a link, or two names for it); nothing "
     "was changed. Give each its own file, then run again.\n",
     "@ (@) と @ (@) は同じファイルです (リンク、または同じファイルの別名)。"
     "何も変更していません。それぞれ別のファイルにしてから、もう一度実行してください。\n"),
    said("kEarlierClash", "a report's file is one of an earlier report's in this run",
     "@ (the @) is one file with the @ of @, an earlier report of this run; nothing "
     "was changed for this report. Give each its own file, then run again.\n",
     "@ (@) は、この実行で先に処理したレポート @ の@と同じファイルです。"
     "このレポートについては何も変更していません。"
     "それぞれ別のファイルにしてから、もう一度実行してください。\n"),
    said("kRoleReport", "a file's part: the report", "report", "レポート"),
    said("kRolePicture", "a file's part: the picture", "picture", "画像"),
    said("kRoleBackup", "a file's part: the backup", "backup", "バックアップ"),
    said("kRolePng", "a file's part: the PNG copy", "PNG", "PNG"),
    said("kRoleTable", "a file's part: the CSV table", "CSV table", "CSV の表"),
    said("kPictureRefused", "after a picture's refusal on standard output",
     "@: this picture cannot be stamped, and was left as it was. Stampo takes the "
     "24-bit BMP graph that the scanning software saved beside the report.\n",
     "@: この画像にはスタンプできません。画像はそのままです。Stampo が扱うのは、"
     "スキャンソフトがレポートの横に保存した 24 ビット BMP のグラフです。\n"),
    said("kNoMarkerReport", "a report without its scan mode line",
     "@: not a Plextools Professional scan report (no PIE Sum8 or PIF Sum1 line); "
     "skipped.\n",
     "@: Plextools Professional のスキャンレポートではありません "
     "(PIE Sum8 / PIF Sum1 の行がありません)。スキップしました。\n"),
    said("kPictureNotReport", "a picture given where its report should be",
     "@: this is a picture, not a scan report; skipped. Drop the report beside it "
     "(the .html file) instead.\n",
     "@: これは画像で、スキャンレポートではありません。スキップしました。"
     "代わりに、その横のレポート (.html ファイル) をドロップしてください。\n"),
    said("kTruncatedReport", "a report cut before its figures",
     "@: the report ends before its figures; skipped. Save the report again from "
     "the scanning software.\n",
     "@: レポートが数値の前で終わっています。スキップしました。"
     "スキャンソフトからレポートを保存し直してください。\n"),
    said("kStampedBeforeReport", "a report whose picture an earlier report stamped",
     "@: its picture @ is the one @ stamped earlier in this run (one file, through "
     "a link); skipped. Give each report its own picture.\n",
     "@: その画像 @ は、この実行で先に @ がスタンプした画像と同じファイルです "
     "(リンク)。スキップしました。レポートごとに別の画像を置いてください。\n"),
    said("kRestoredBeforeReport", "a report whose picture an earlier report restored",
     "@: its picture @ is the one @ restored earlier in this run (one file, through "
     "a link); skipped.\n",
     "@: その画像 @ は、この実行で先に @ が元に戻した画像と同じファイルです "
     "(リンク)。スキップしました。\n"),
    said("kNoBackup", "restoring: a picture without a backup",
     "@: there is no backup @ to restore it from; nothing was changed.\n",
     "@: 元に戻すためのバックアップ @ がありません。何も変更していません。\n"),
    said("kNotItsStamp", "restoring: a picture that is not the stamp of its backup",
     "@: it is not the stamp of its backup @ with this report's figures (a new scan "
     "saved over it, or an edited picture), so it was left as it is; nothing was "
     "changed.\n",
     "@: バックアップ @ にこのレポートの数値をスタンプした画像ではありません "
     "(新しいスキャンが上書きされたか、編集された画像です)。そのままにしました。"
     "何も変更していません。\n"),
    said("kNotOurTable", "--csv names a file that is not a table of ours",
     "@: not a CSV table that Stampo wrote (its first row is not Stampo's header); "
     "nothing was written. Give --csv a new file, or one that Stampo wrote, then run "
     "again.\n",
     "@: Stampo が書いた CSV の表ではありません (最初の行が Stampo の見出しでは"
     "ありません)。何も書き込んでいません。--csv には新しいファイルか Stampo が"
     "書いたファイルを指定して、もう一度実行してください。\n"),
    said("kTableChanged", "the CSV file stopped being a table of ours during the run",
     "@ is no longer a CSV table that Stampo wrote, so this run's rows were not "
     "written to it. Give --csv a new file, then run the same reports again.\n",
     "@ は Stampo が書いた CSV の表ではなくなっていたため、この実行の行は"
     "書き込んでいません。--csv に新しいファイルを指定して、同じレポートで"
     "もう一度実行してください。\n"),
    said("kStateUnchanged", "what is true of the files: nothing written",
     "@ is as it was. ",
     "@ は元のままです。"),
    said("kStateBackedUp", "what is true of the files: the backup written",
     "@ is as it was, and its original is kept in @. ",
     "@ は元のままで、その元の画像は @ に保存してあります。"),
    said("kStateStamped", "what is true of the files: the picture stamped",
     "@ is stamped, and its original is kept in @. ",
     "@ はスタンプ済みで、その元の画像は @ に保存してあります。"),
    said("kStatePngNotWritten", "what is true of the files: the PNG not written",
     "@ was not written. ",
     "@ は書き込んでいません。"),
    said("kStatePngWritten", "what is true of the files: the picture and its PNG written",
     "@ is stamped (its original is kept in @), and @ is written. ",
     "@ はスタンプ済み (元の画像は @ に保存してあります) で、@ も書き込み済みです。"),
    said("kStateRestored", "what is true of the files: the picture restored",
     "@ is restored from @. ",
     "@ は @ から元に戻してあります。"),
    said("kStateTableUnchanged", "what is true of the CSV table: not written",
     "@ is as it was: this run's rows are not in it. ",
     "@ は元のままで、この実行の行は入っていません。"),
    said("kStateTableWritten", "what is true of the CSV table: written",
     "@ holds this run's rows. ",
     "@ にはこの実行の行が入っています。"),
    said("kAdviceReportMissing", "what to do: the report is not there",
     "The report @ is not there: check its name, or drop it again from its folder.\n",
     "レポート @ が見つかりません。名前を確かめるか、フォルダーからもう一度ドロップしてください。\n"),
    said("kAdvicePictureMissing", "what to do: no picture beside the report",
     "The picture @ beside the report is missing: Stampo needs the scan's BMP "
     "under the report's name.\n",
     "レポートの横に画像 @ がありません。レポートと同じ名前の BMP を置いてください。\n"),
    said("kAdviceUnreadable", "what to do: the report may not be read",
     "You may not read @: give yourself read access, or copy it to a folder of your "
     "own, then run again.\n",
     "@ を読む権限がありません。読めるようにするか、自分のフォルダーにコピーしてから、"
     "もう一度実行してください。\n"),
    said("kAdviceHeld", "what to do: another program holds the file",
     "@ is open in another program: close it there, then run the same reports again.\n",
     "@ は他のプログラムで開かれています。そのプログラムで閉じてから、"
     "同じレポートでもう一度実行してください。\n"),
    said("kAdviceDenied", "what to do: no permission",
     "You may not change @ or its folder: make them writable, or copy the scans "
     "to a folder of your own, then run again.\n",
     "@ またはそのフォルダーを変更する権限がありません。書き込めるようにするか、"
     "スキャンを自分のフォルダーにコピーしてから、もう一度実行してください。\n"),
    said("kAdviceFolderDenied", "what to do: a folder we may not use",
     "You may not use the folder @: make it yours to read and write, or copy the scans "
     "to a folder of your own, then run again.\n",
     "フォルダー @ を使う権限がありません。読み書きできるようにするか、"
     "スキャンを自分のフォルダーにコピーしてから、もう一度実行してください。\n"),
    said("kAdviceNotAFile", "what to do: a folder, pipe or device where a file is needed",
     "@ is not a file (a folder, a pipe or a device): put the file itself there, "
     "then run again.\n",
     "@ はファイルではありません (フォルダー、パイプ、デバイス)。"
     "ファイルそのものを置いてから、もう一度実行してください。\n"),
    said("kAdviceFull", "what to do: the disk is full or failing",
     "The disk is full or failing: free some space, then run the same reports again.\n",
     "ディスクがいっぱいか、不調です。空きを作ってから、同じレポートでもう一度"
     "実行してください。\n"),
    said("kAdviceMemory", "what to do: memory ran out",
     "There is not enough memory: close other programs, then run the same reports "
     "again.\n",
     "メモリーが足りません。ほかのプログラムを閉じてから、同じレポートでもう一度"
     "実行してください。\n"),
    said("kAdviceLeftover", "what to do: a leftover temporary file we may not remove",
     "@ was left by an earlier run and cannot be removed: remove it, then run again.\n",
     "@ は以前の実行の残りで、削除できません。削除してから、もう一度実行してください。\n"),
    said("kAdviceOther", "what to do: any other failure",
     "Fix what the line above says, then run the same reports again.\n",
     "上の行の原因を取り除いてから、同じレポートでもう一度実行してください。\n"),
    said("kAccountStamped", "the closing account: pictures stamped",
     "Stamped: @ of @ reports.\n",
     "スタンプしたレポート: @ 件 (全 @ 件)\n"),
    said("kAccountRestored", "the closing account: pictures restored",
     "Restored: @ of @ reports.\n",
     "元に戻したレポート: @ 件 (全 @ 件)\n"),
    said("kAccountSkipped", "the closing account: a report skipped, and why",
     "Skipped: @ (@)\n",
     "スキップ: @ (@)\n"),
    said("kAccountSkippedStamped", "the closing account: a report whose picture another stamped",
     "Skipped: @ (its picture is the one @ stamped)\n",
     "スキップ: @ (その画像は @ がスタンプしたものです)\n"),
    said("kAccountSkippedRestored", "the closing account: a report whose picture another restored",
     "Skipped: @ (its picture is the one @ restored)\n",
     "スキップ: @ (その画像は @ が元に戻したものです)\n"),
    said("kWhyNoMarker", "why a report was skipped",
     "not a Plextools Professional report",
     "Plextools Professional のレポートではありません"),
    said("kWhyPicture", "why a report was skipped",
     "a picture, not a report",
     "画像で、レポートではありません"),
    said("kWhyTruncated", "why a report was skipped",
     "ends before its figures",
     "数値の前で終わっています"),
    said("kAccountStopped", "the closing account: a failure stopped the batch",
     "Stopped at @. Run the same drop again to finish: pictures already stamped "
     "are kept as they are.\n",
     "@ で止まりました。同じレポートをもう一度ドロップすると続きを行います。"
     "スタンプ済みの画像はそのまま残ります。\n"),
    said("kHelp", "the help after the usage lines: the program's name twice, the version, the licence file",
     "\n"
     "Stampo stamps the summary of a PIE Sum8 / PIF Sum1 disc quality scan onto\n"
     "the scan's graph picture.\n"
     "\n"
     "  @ [OPTIONS] REPORT.html...   the picture beside each report: REPORT.bmp\n"
     "  @ [OPTIONS] FOLDER...        every .html report directly inside the\n"
     "                               folder, in the order Explorer shows them\n"
     "  Stampo.exe D:\\scans\\*.html   on Windows, wildcards as well\n"
     "\n"
     "Options, before the reports:\n"
     "  --png        also write each stamped picture as NAME.png, for sharing\n"
     "  --csv FILE   keep a table of results in FILE (also --csv=FILE): one row\n"
     "               a report, its paths, the mode and the four figures; a\n"
     "               report stamped again has its row replaced (UTF-8, for Excel)\n"
     "  --restore    put each picture back from its backup NAME.bmp.bak\n"
     "  --           ends the options: a report may then start with '-'\n"
     "  --help, --version\n"
     "\n"
     "Each picture is rewritten 340 rows high, with the four figures in a band\n"
     "at its foot. Its original is kept beside it as NAME.bmp.bak, written\n"
     "before the picture is replaced; running again keeps that first backup.\n"
     "After any interruption, run the same reports again to finish the batch.\n"
     "Nothing is written until everything a report needs has been checked.\n"
     "\n"
     "Exit status: 0 when every report was handled; 1 after a failure, which\n"
     "ends the run (the message names the file and says what to do), or for\n"
     "the usage text.\n"
     "\n"
     "Stampo @. MIT licence, copyright the Stampo authors: see @.\n",
     "\n"
     "Stampo は、PIE Sum8 / PIF Sum1 のディスク品質スキャンの結果を、\n"
     "スキャンのグラフ画像に書き込みます。\n"
     "\n"
     "  @ [オプション] REPORT.html...   各レポートの横の画像 REPORT.bmp に書き込む\n"
     "  @ [オプション] フォルダー...    フォルダー直下の .html レポートすべて\n"
     "                                 (エクスプローラーと同じ順)\n"
     "  Stampo.exe D:\\scans\\*.html    Windows ではワイルドカードも使えます\n"
     "\n"
     "オプション (レポートより前に):\n"
     "  --png        スタンプした画像を共有用に NAME.png としても保存する\n"
     "  --csv FILE   結果の表を FILE に保つ (--csv=FILE も可): レポートごとに\n"
     "               1 行、パス、モード、4 つの数値。もう一度スタンプした\n"
     "               レポートは行を置き換える (UTF-8、Excel でも読めます)\n"
     "  --restore    各画像をバックアップ NAME.bmp.bak から元に戻す\n"
     "  --           オプションの終わり (以降は '-' で始まる名前もレポート)\n"
     "  --help, --version\n"
     "\n"
     "画像は 340 行の高さに書き直され、下の帯に 4 つの数値が入ります。\n"
     "元の画像は、書き換える前に NAME.bmp.bak として横に保存されます。\n"
     "もう一度実行しても、最初のバックアップが残ります。\n"
     "途中で止まったときは、同じレポートでもう一度実行すると続きを行います。\n"
     "レポートに必要なことをすべて確かめるまで、何も書き込みません。\n"
     "\n"
     "終了コード: すべて処理できたら 0、失敗したら 1 (そこで止まり、メッセージが\n"
     "ファイル名とすべきことを示します)。使い方の表示も 1 です。\n"
     "\n"
     "Stampo @。MIT ライセンス、著作権は Stampo の作者たち: @ を参照。\n"),
]


def escape(b: bytes) -> str:
    """A C++ string literal for bytes, split into lines of the source."""
    out, line = [], ""
    for i, c in enumerate(b):
        if c == 0x01:  # the argument's place
            piece = "\\x01"
        elif c == 0x0A:
            piece = "\\n"
        elif c == 0x22:
            piece = '\\"'
        elif c == 0x5C:
            piece = "\\\\"
        elif 0x20 <= c < 0x7F and not (line.endswith("\\x01") or re_hex_tail(line)) :
            piece = chr(c)
        elif 0x20 <= c < 0x7F and c not in b"0123456789abcdefABCDEF":
            piece = chr(c)
        elif 0x20 <= c < 0x7F:
            piece = '""' + chr(c)
        else:
            piece = "\\x%02X" % c
        line += piece
        if len(line) > 80 or (piece == "\\n" and i + 1 < len(b)):
            out.append('"' + line + '"')
            line = ""
    if line or not out:
        out.append('"' + line + '"')
    return "\n    ".join(out)


def re_hex_tail(line: str) -> bool:
    """Whether the literal so far ends in a hex escape, which a following
    hex digit would extend."""
    import re
    return re.search(r"\\x[0-9A-Fa-f]{2}$", line) is not None


def literal(text, encoding):
    # "@" becomes 0x01 before encoding: 0x40 is also a Shift_JIS
    # character's second byte (the 0x8340 of "ァ").
    return escape(text.replace("@", "\x01").encode(encoding))


def header():
    lines = [
        "#pragma once",
        "// The program's texts. Made by tools/mktexts.py from its table, by the",
        "// build: change them there.",
        '#include "textkinds.h"',
        "",
        "namespace stampo {",
    ]
    names = set()
    for kind, name, what, en, ja in TEXTS:
        assert name not in names, name
        names.add(name)
        lines += ["", "// %s" % what]
        if kind == "said":
            lines += ["inline constexpr Said %s = {" % name,
                      "    %s," % literal(en, "ascii"),
                      "    {%s," % literal(ja, "cp932"),
                      "     %s}};" % literal(ja, "utf-8")]
        elif kind == "message":
            lines += ["inline constexpr Message %s = {" % name,
                      "    %s," % literal(ja, "cp932"),
                      "    %s};" % literal(ja, "utf-8")]
        else:
            lines += ["inline constexpr Said %s = {" % name,
                      "    %s," % literal(en, "ascii"),
                      "    {%s," % literal(en, "ascii"),
                      "     %s}};" % literal(en, "ascii")]
    lines += ["", "// Every text above, for the tests to walk.",
              "inline constexpr TextEntry kAllTexts[] = {"]
    for kind, name, what, en, ja in TEXTS:
        if kind == "message":
            lines.append('    {"%s", nullptr, &%s},' % (name, name))
        else:
            lines.append('    {"%s", &%s, nullptr},' % (name, name))
    lines += ["};", "", "}  // namespace stampo", ""]
    return "\n".join(lines)


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: mktexts.py OUT.h")
    out = sys.argv[1]
    # Replaced whole: a build stopped halfway finds the old header or the
    # new one.
    with open(out + ".tmp", "w", encoding="ascii", newline="\n") as f:
        f.write(header())
    import os
    os.replace(out + ".tmp", out)


main()
