// Placeholder for the host layer.
