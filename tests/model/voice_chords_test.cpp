// voice_chords_test.cpp: being written.
