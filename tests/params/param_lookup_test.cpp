// param_lookup_test.cpp: being written.
