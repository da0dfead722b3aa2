// layout_records.cpp: being written.
