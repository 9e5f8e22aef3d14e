#pragma once

// Handles everything that is already due on this thread and nothing more:
// posted events (queued calls included), zero-time timers and descriptors
// that are readable now. A test that must show that something does NOT
// happen (a second error, a late signal) settles with this instead of
// sleeping: whatever was queued has run once it returns.
void processPendingEvents();
