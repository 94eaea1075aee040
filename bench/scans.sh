# Sourced by the batch measures: makes "$work" (removed on exit) and in it
# "pristine", N copies of the bundled sample as scan001.html/.bmp and on.
# Needs N and BUILD (whose mksample draws the sample).
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/pristine"
"$BUILD/mksample" "$work/pristine"
for i in $(seq -w 1 "$N"); do
  cp "$work/pristine/disc.html" "$work/pristine/scan$i.html"
  cp "$work/pristine/disc.bmp" "$work/pristine/scan$i.bmp"
done
rm "$work/pristine"/disc.*
