# Build date and date-time, fixed when the program is configured. They honour
# SOURCE_DATE_EPOCH so that two builds of one commit are byte-identical.
# string(TIMESTAMP) reads SOURCE_DATE_EPOCH itself (CMake 3.8+) and then
# formats in UTC, which is what reproducible builds expect.
string(TIMESTAMP VELLARY_BUILD_DATE "%Y/%m/%d" UTC)
string(TIMESTAMP VELLARY_BUILD_DATETIME "%Y/%m/%d %H:%M:%S" UTC)
configure_file(${CMAKE_CURRENT_LIST_DIR}/build_stamp.h.in
               ${CMAKE_BINARY_DIR}/generated/build_stamp.h @ONLY)

# The program's short and full version, from the project() call.
configure_file(${CMAKE_CURRENT_LIST_DIR}/version.h.in
               ${CMAKE_BINARY_DIR}/generated/vellary_version.h @ONLY)
