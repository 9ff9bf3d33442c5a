# Makes ROOT/pictures/pic0 and ROOT/pictures/loop, a link back to ROOT, for
# the Windows tests under Wine: Wine cannot make links itself, but shows a
# Unix link to a directory as a directory link.
file(REMOVE_RECURSE "${ROOT}")
file(MAKE_DIRECTORY "${ROOT}/pictures")
file(TOUCH "${ROOT}/pictures/pic0")
file(CREATE_LINK "${ROOT}" "${ROOT}/pictures/loop" SYMBOLIC)
