#pragma once
// The program's fixed console texts. The Japanese ones are Shift_JIS
// bytes, as a Japanese Windows console shows them.

namespace stampo {

// "使い方 : プログラム本体にhtmlファイルをドロップしてください。"
// (usage: drop html files onto the program)
constexpr char kUsageJa[] =
    "\x8E\x67\x82\xA2\x95\xFB : \x83\x76\x83\x8D\x83\x4F\x83\x89\x83\x80\x96\x7B\x91\xCC\x82\xC9"
    "html\x83\x74\x83\x40\x83\x43\x83\x8B\x82\xF0\x83\x68\x83\x8D\x83\x62\x83\x76\x82\xB5\x82\xC4"
    "\x82\xAD\x82\xBE\x82\xB3\x82\xA2\x81\x42\n";
constexpr char kUsageEn[] = "Usage : drop html files to Stampo.exe\n";

// "Plextools Professionalで出力されてないです。" (not written by Plextools
// Professional)
constexpr char kNoMarker[] =
    "Plextools Professional\x82\xC5\x8F\x6F\x97\xCD\x82\xB3\x82\xEA\x82\xC4\x82\xC8\x82\xA2\x82\xC5"
    "\x82\xB7\x81\x42\n";

constexpr char kTruncated[] = "report ends before its figures.\n";

// "Enterキーを押すと閉じます。" (press Enter to close), shown before a
// console window of the program's own closes.
constexpr char kCloseJa[] =
    "Enter\x83\x4C\x81\x5B\x82\xF0\x89\x9F\x82\xB7\x82\xC6\x95\xC2\x82\xB6\x82\xDC\x82\xB7\x81\x42"
    "\n";
constexpr char kCloseEn[] = "Press Enter to close.\n";

}  // namespace stampo
