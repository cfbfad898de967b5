// Placeholder until the entry points are built.
