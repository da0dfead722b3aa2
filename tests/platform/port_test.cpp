// port_test.cpp: being written.
