// Placeholder until the code grid lands.
