// Replaced by the window layer.
