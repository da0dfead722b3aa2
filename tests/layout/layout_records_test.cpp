// layout_records_test.cpp: being written.
