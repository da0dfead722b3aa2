// durashn_test.cpp: being written.
