// voice_chords.cpp: being written.
