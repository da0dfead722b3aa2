// param_table.cpp: being written.
