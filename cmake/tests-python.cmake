# The Python helpers of the end-to-end tests (the local mall, the order-mail writer) test
# themselves. They run on the build host, so only the Linux build registers them.
if(NOT WIN32)
  find_package(Python3 REQUIRED COMPONENTS Interpreter)
  add_test(NAME mall_support
           COMMAND ${Python3_EXECUTABLE} -m unittest discover -s . -p "test_*.py"
           WORKING_DIRECTORY ${CMAKE_SOURCE_DIR}/tests/support)
  # The file replace as the system sees it: data flushed, renamed, folder flushed.
  add_test(NAME durable_replace
           COMMAND ${Python3_EXECUTABLE} ${CMAKE_SOURCE_DIR}/tests/base/durable_replace.py $<TARGET_FILE:test_base>)
  # The owner's Japanese guide as shipped (Shift-JIS, CR LF) and its conversion.
  add_test(NAME owner_guide COMMAND ${Python3_EXECUTABLE} -m unittest test_owner_guide
           WORKING_DIRECTORY ${CMAKE_SOURCE_DIR}/tests/res)
  # The folder order of src/ (each folder includes only those below it).
  add_test(NAME layout COMMAND ${Python3_EXECUTABLE} ${CMAKE_SOURCE_DIR}/scripts/check-layout)
endif()
