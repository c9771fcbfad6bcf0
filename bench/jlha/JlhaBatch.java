// Packs each file named on the command line into an LZH archive of its own
// with jlha's library, all in one JVM, so that the comparison measures jlha's
// compressor rather than the JVM's start-up.
// Usage: java -cp /usr/share/java/jlha.jar:. JlhaBatch METHOD LEVEL OUTDIR FILE...
import java.io.*;
import jp.gr.java_conf.dangan.util.lha.LhaHeader;
import jp.gr.java_conf.dangan.util.lha.LhaOutputStream;

public class JlhaBatch {
    public static void main(String[] args) throws IOException {
        String method = args[0];
        int level = Integer.parseInt(args[1]);
        File outDir = new File(args[2]);
        byte[] buf = new byte[1 << 16];
        for (int i = 3; i < args.length; i++) {
            File src = new File(args[i]);
            String name = src.getName();
            int dot = name.lastIndexOf('.');
            String base = dot > 0 ? name.substring(0, dot) : name;
            File arc = new File(outDir, base + ".lzh");
            try (LhaOutputStream out = new LhaOutputStream(new BufferedOutputStream(new FileOutputStream(arc)),
                                                          new RandomAccessFile(new File(outDir, ".jlha.tmp"), "rw"));
                 InputStream in = new BufferedInputStream(new FileInputStream(src))) {
                LhaHeader h = new LhaHeader(name, new java.util.Date(src.lastModified()));
                h.setCompressMethod(method);
                h.setHeaderLevel(level);
                out.putNextEntry(h);
                int n;
                while ((n = in.read(buf)) > 0) out.write(buf, 0, n);
                out.closeEntry();
            }
        }
    }
}
