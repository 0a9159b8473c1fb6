"""Table modules of the generator: one module per group of character tables."""
