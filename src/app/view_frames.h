// view_frames.h: what the subsystems above the model keep of a view's window while another
// view is current, and what the views ask of the frame as they open, switch and close.
#pragma once

// Registers the hooks through which the views park and restore that state and reach the
// music window. Run by connect_subsystems at start-up.
void register_view_frame_hooks();
