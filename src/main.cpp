// Program entry: the controller and its message loop are built in the app library.
int VendlumeMain();

int main() { return VendlumeMain(); }
