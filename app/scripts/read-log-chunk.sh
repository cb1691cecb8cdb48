stat -c %s "$1" 2>/dev/null || echo -1
tail -c +$(($2 + 1)) "$1" 2>/dev/null | head -c "$3" | base64 -w0
echo