// JlhaBatch OUTDIR [METHOD [HEADER_LEVEL]] < list
// Packs every file listed on standard input, one path a line, into its own
// archive OUTDIR/<n>.lzh with jlha's library, all in one JVM, so that the
// comparison measures jlha's compressor rather than the JVM's start-up.
// METHOD defaults to -lh7-, HEADER_LEVEL to 2. Prints the files and seconds.
import java.io.*;
import java.nio.charset.StandardCharsets;
import java.util.Date;
import jp.gr.java_conf.dangan.util.lha.LhaHeader;
import jp.gr.java_conf.dangan.util.lha.LhaOutputStream;

public class JlhaBatch {
    public static void main(String[] args) throws IOException {
        if (args.length < 1) {
            System.err.println("usage: JlhaBatch OUTDIR [METHOD [HEADER_LEVEL]] < list");
            System.exit(2);
        }
        File outDir = new File(args[0]);
        String method = args.length > 1 ? args[1] : "-lh7-";
        int level = args.length > 2 ? Integer.parseInt(args[2]) : 2;
        // The library stages each member in a scratch file; kept outside
        // OUTDIR so that only archives are counted there.
        File scratch = File.createTempFile("jlha", ".tmp");
        scratch.deleteOnExit();
        BufferedReader list = new BufferedReader(new InputStreamReader(System.in, StandardCharsets.UTF_8));
        byte[] buf = new byte[1 << 16];
        int n = 0;
        long t0 = System.nanoTime();
        for (String line; (line = list.readLine()) != null;) {
            if (line.isEmpty()) continue;
            File src = new File(line);
            File arc = new File(outDir, (n++) + ".lzh");
            try (RandomAccessFile stage = new RandomAccessFile(scratch, "rw");
                 LhaOutputStream out = new LhaOutputStream(new BufferedOutputStream(new FileOutputStream(arc)), stage);
                 InputStream in = new BufferedInputStream(new FileInputStream(src))) {
                LhaHeader h = new LhaHeader(src.getName(), new Date(src.lastModified()));
                h.setCompressMethod(method);
                h.setHeaderLevel(level);
                h.setOriginalSize(src.length());
                out.putNextEntry(h);
                for (int k; (k = in.read(buf)) > 0;) out.write(buf, 0, k);
                out.closeEntry();
            }
        }
        System.out.printf("files=%d seconds=%.3f%n", n, (System.nanoTime() - t0) / 1e9);
    }
}
