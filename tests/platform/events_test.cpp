// events_test.cpp: being written.
