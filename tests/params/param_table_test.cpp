// param_table_test.cpp: being written.
