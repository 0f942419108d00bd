# Writes the page's service worker: the template with the list of the page's
# files and a version made of their contents.
#   cmake -DPAGE=folder -DTEMPLATE=sw.js.in -DFILES="a;b" -P stamp.cmake
set(hashes "")
set(listed "")
foreach(file ${FILES})
  file(SHA256 ${PAGE}/${file} hash)
  string(APPEND hashes "${file} ${hash}\n")
  if(listed)
    string(APPEND listed ", ")
  endif()
  string(APPEND listed "'${file}'")
endforeach()
string(SHA256 version "${hashes}")
string(SUBSTRING ${version} 0 16 VERSION)
set(FILES "${listed}")
configure_file(${TEMPLATE} ${PAGE}/sw.js @ONLY)
