// Links one folder's library whole with only the libraries it may use: a call into a
// folder above it leaves a symbol undefined and the link fails.
int main() { return 0; }
