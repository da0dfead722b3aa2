// list_box_test.cpp: being written.
