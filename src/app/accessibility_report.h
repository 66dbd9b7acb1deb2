#pragma once

class EventPoster;

// The permission lines written at start-up and in permission-query mode.

// --check-accessibility: asks (prompting), reports, returns the exit status.
int run_accessibility_query(EventPoster& poster);

// Start-up: asks (prompting) and reports; start-up goes on either way.
void report_accessibility_at_startup(EventPoster& poster);
