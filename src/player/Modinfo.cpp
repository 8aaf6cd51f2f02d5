// Placeholder for the pitch, volume and panning formulas.
