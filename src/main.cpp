// Entry point (being built).
int main() { return 0; }
