#pragma once
// The recording overlay region: one RGBA picture on encoder channel 0 that the
// encoder blends into every frame it encodes. The interface thread renders
// its widgets into that picture while a recording runs; these functions are
// called from the image thread's slots, which run on the interface thread, so
// they need no lock.

// Creates region 0 of width x height (360 x 320 when either is <= 0) and
// attaches it to encoder channel 0; a started region is stopped first.
// 0, or -1 (logged) when the region could not be created or attached.
int record_osd_start(int width, int height);
// Shows the RGBA picture `data` (rows of width x 4 bytes, packed) on the
// region. -1 without a log line unless the region is started with exactly
// this size; -1 with a log line when the platform refuses it.
int record_osd_set_bitmap(const void* data, int width, int height);
// Detaches and destroys the region; nothing when it is not started.
void record_osd_stop();
bool record_osd_started();
