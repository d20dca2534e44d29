# The PE image writer of the test-support library: the library of tools/pewriter, shared with the
# demo site's tool.
list(APPEND TIVRA_TESTSUPPORT_LIBS tivra_pewriter)
