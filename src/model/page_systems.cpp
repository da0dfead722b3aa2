// page_systems.cpp: being written.
