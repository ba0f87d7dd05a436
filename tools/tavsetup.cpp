// placeholder, replaced by the host program
int main() { return 0; }
