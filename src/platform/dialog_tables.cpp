// dialog_tables.cpp: being written.
