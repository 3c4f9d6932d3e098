# Turns the apt "deb" entries of the distribution's own suites (the release codename, or a
# suite named after it such as "<codename>-updates") into "deb-src" entries in deb822 form.
# Input: deb822 .sources files (out=deb822) or one-line .list files (out=line).
function own_suites(list,    n, i, parts, kept) {
  n = split(list, parts, /[ \t]+/)
  kept = ""
  for (i = 1; i <= n; i++)
    if (parts[i] == cn || index(parts[i], cn "-") == 1 || index(parts[i], cn "/") == 1)
      kept = kept (kept == "" ? "" : " ") parts[i]
  return kept
}
function emit(uris, suites, comps, signed) {
  suites = own_suites(suites)
  if (uris == "" || suites == "" || comps == "") return
  printf "Types: deb-src\nURIs: %s\nSuites: %s\nComponents: %s\n", uris, suites, comps
  if (signed != "") printf "Signed-By: %s\n", signed
  printf "\n"
}
function flush() {
  if (types ~ /(^|[ \t])deb([ \t]|$)/ && enabled != "no") emit(uris, suites, comps, signed)
  types = uris = suites = comps = signed = enabled = ""
}
function value(line) { sub(/^[^:]*:[ \t]*/, "", line); sub(/[ \t]+$/, "", line); return line }
out == "deb822" && /^[ \t]*#/ { next }
out == "deb822" && /^[ \t]*$/ { flush(); next }
out == "deb822" && /^Types:/      { types = value($0); next }
out == "deb822" && /^URIs:/       { uris = value($0); next }
out == "deb822" && /^Suites:/     { suites = value($0); next }
out == "deb822" && /^Components:/ { comps = value($0); next }
out == "deb822" && /^Enabled:/    { enabled = tolower(value($0)); next }
# A key inline in Signed-By spans several lines; only a keyring path is carried over.
out == "deb822" && /^Signed-By:/  { signed = value($0); if (signed !~ /^\//) signed = ""; next }
out == "deb822" { next }
out == "line" && $1 == "deb" {
  signed = ""; i = 2
  if ($2 ~ /^\[/) {
    while (i <= NF) {
      if ($i ~ /^\[?signed-by=/) { s = $i; sub(/^\[?signed-by=/, "", s); sub(/\]$/, "", s); signed = s }
      if ($i ~ /\]$/) { i++; break }
      i++
    }
  }
  comps = ""
  for (j = i + 2; j <= NF; j++) comps = comps (comps == "" ? "" : " ") $j
  emit($i, $(i + 1), comps, signed)
}
END { if (out == "deb822") flush() }
