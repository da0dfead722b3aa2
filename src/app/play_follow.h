// play_follow.h: the music window follows a piece while it plays (play_follow.cpp).
#pragma once

#include "app/app_services.h"

// follow_play: while a play runs, shows the notes sounding now marked in the music window;
// when the note begun last is out of sight the window scrolls to it, and when it stands on
// another page that page is formatted and shown. Once the play has ended, end_play_display.
// Called by the main loop after each step of the play. Main thread only.
// Reads:  the play's queued notes and the clock, current_page, page_count, the scroll
//         position. Writes: play_follow, current_page, the page, the scroll position, the title.
void follow_play();
// keep_play_page: the page the play has turned to stays when the play ends (the user acts on
// it): the undo history goes, as for any change of page.
// Writes: play_follow, the undo lists.
void keep_play_page();
