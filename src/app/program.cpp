int VendlumeMain() { return 0; }
