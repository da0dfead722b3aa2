// list_box.cpp: being written.
