// page_systems_test.cpp: being written.
