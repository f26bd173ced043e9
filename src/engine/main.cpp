// Entry point: the start-up order, then the command loop.
int main() { return 0; }
