// param_metrics_test.cpp: being written.
