# Installing the Linux program: the binary, its menu entry and icon. (Filled in below.)
install(TARGETS vimo RUNTIME DESTINATION bin)
