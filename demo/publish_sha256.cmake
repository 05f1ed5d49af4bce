# cmake -DFILE=PATH -P publish_sha256.cmake: writes PATH.sha256 beside PATH, one line as
# sha256sum writes it ("<64 hex>  NAME"), which the installer checks the package against.
file(SHA256 ${FILE} digest)
get_filename_component(name ${FILE} NAME)
file(WRITE ${FILE}.sha256 "${digest}  ${name}\n")
