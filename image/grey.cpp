// Filled in by its own change.
