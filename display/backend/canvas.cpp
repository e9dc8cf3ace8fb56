// Placeholder until the canvas lands.
