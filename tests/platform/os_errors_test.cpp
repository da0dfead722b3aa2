// os_errors_test.cpp: being written.
