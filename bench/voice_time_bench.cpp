// voice_time_bench.cpp: being written.
