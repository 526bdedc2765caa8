add_test(NAME unit COMMAND orv_unit_tests)
