// Placeholder until the glyph font lands.
