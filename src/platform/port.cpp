// port.cpp: being written.
