// Dialogue tests are being written.
