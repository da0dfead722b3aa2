// os_errors.cpp: being written.
