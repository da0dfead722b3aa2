// staffops_test.cpp: being written.
