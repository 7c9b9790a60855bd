// Prints the barcodes the scanner holds, through late binding: no reference to the type library.
//   csc Download.cs && Download.exe
// A 64-bit program uses the 32-bit component through the system's surrogate.
using System;

static class Download
{
    static int Main()
    {
        Type type = Type.GetTypeFromProgID("Harrowtally.Clicker");
        if (type == null)
        {
            Console.Error.WriteLine("Harrowtally.Clicker is not registered");
            return 1;
        }
        dynamic clicker = Activator.CreateInstance(type);
        clicker.open_clicker();  // searches 16 ports from startport and downloads
        if (!clicker.open_ok)
        {
            Console.Error.WriteLine("no scanner found");
            return 1;
        }
        int count = clicker.num_barcodes;
        Console.WriteLine("scanner {0} on port {1}: {2} barcodes", clicker.serial, clicker.comport, count);
        for (short k = 1; k <= count; k++)
        {
            clicker.get_barcode = k;
            DateTime scanned = clicker.stime;
            Console.WriteLine("{0,4} {1,-13} {2,3} {3:yyyy-MM-dd HH:mm:ss}", k, clicker.sbarcode, clicker.stype, scanned);
        }
        return 0;
    }
}
