// Program entry: hands the command line to the shell.
int main() { return 0; }
