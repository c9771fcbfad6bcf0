// JlhaBatch OUTDIR METHOD < list: packs every listed file into its own
// archive OUTDIR/<n>.lzh with jLHA's library, all in one JVM (the fair way
// to time a Java packer over thousands of small files). Prints the seconds.
import java.io.*;
import java.util.Date;
import jp.gr.java_conf.dangan.util.lha.LhaHeader;
import jp.gr.java_conf.dangan.util.lha.LhaOutputStream;

public class JlhaBatch {
    public static void main(String[] args) throws Exception {
        String outDir = args[0];
        String method = args.length > 1 ? args[1] : "-lh7-";
        BufferedReader in = new BufferedReader(new InputStreamReader(System.in, "UTF-8"));
        byte[] buf = new byte[1 << 16];
        int n = 0;
        long t0 = System.nanoTime();
        for (String line; (line = in.readLine()) != null;) {
            if (line.isEmpty()) continue;
            File f = new File(line);
            File arc = new File(outDir, (n++) + ".lzh");
            RandomAccessFile tmp = new RandomAccessFile(new File(outDir, "jlha.tmp"), "rw");
            LhaOutputStream out = new LhaOutputStream(new BufferedOutputStream(new FileOutputStream(arc)), tmp);
            LhaHeader h = new LhaHeader(f.getName(), new Date(f.lastModified()));
            h.setCompressMethod(method);
            h.setOriginalSize(f.length());
            out.putNextEntry(h);
            try (InputStream src = new BufferedInputStream(new FileInputStream(f))) {
                for (int k; (k = src.read(buf)) > 0;) out.write(buf, 0, k);
            }
            out.closeEntry();
            out.close();
            tmp.close();
        }
        System.out.printf("files=%d seconds=%.3f%n", n, (System.nanoTime() - t0) / 1e9);
    }
}
