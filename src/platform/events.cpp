// events.cpp: being written.
